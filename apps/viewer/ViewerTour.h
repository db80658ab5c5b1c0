// The scripted tour for machines without a display: the viewer is driven through real mouse
// events and a picture of the window is written after every step.
#pragma once

#include <QString>
#include <QStringList>

namespace vek::viewer {

class ViewerWindow;

// Shows the world, zooms into Europe and the Alps with the atlas's zoom mode, turns on the
// graticule and the UTM grid and selects an area. Writes Dir/NN-step.png for every step and
// returns their paths. Raises std::runtime_error when a step does not come out as expected.
QStringList RunTour(ViewerWindow& Window, const QString& Dir);

}  // namespace vek::viewer
