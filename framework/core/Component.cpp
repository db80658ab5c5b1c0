#include "Component.h"

namespace vek {

TComponent::TComponent(QObject* AOwner) : QObject(AOwner) {}
TComponent::~TComponent() = default;

std::string TComponent::Name() const { return objectName().toStdString(); }
void TComponent::SetName(const std::string& name) { setObjectName(QString::fromStdString(name)); }

std::string ComponentMessage(const QObject& Component, const std::string& Text) {
  return "Component \"" + Component.objectName().toStdString() + "\": " + Text;
}

}  // namespace vek
