// TComponent, the non-visual component, and the one place that words component messages:
// 'Component "NAME": TEXT'. Needs QtCore only, so non-visual units include this and not the
// widget headers.
#pragma once

#include <QObject>
#include <string>

namespace vek {

// A non-visual component: the owner is the Qt parent and frees it; Name is objectName.
class TComponent : public QObject {
  Q_OBJECT

 public:
  explicit TComponent(QObject* AOwner = nullptr);
  ~TComponent() override;

  QObject* Owner() const { return parent(); }
  std::string Name() const;
  void SetName(const std::string& name);
};

// 'Component "NAME": TEXT', NAME being the object's name.
std::string ComponentMessage(const QObject& Component, const std::string& Text);

// Runs F; an error E it raises leaves with the component's name in front of its text. With
// Only, just the errors whose text Only accepts; the others pass unchanged.
template <class E, class Fn>
auto WithComponentMessage(const QObject& Component, Fn&& F,
                          bool (*Only)(const std::string&) = nullptr) -> decltype(F()) {
  try {
    return F();
  } catch (const E& e) {
    if (Only && !Only(e.what())) throw;
    throw E(ComponentMessage(Component, e.what()));
  }
}

}  // namespace vek
