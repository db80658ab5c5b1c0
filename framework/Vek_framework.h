// The drawing and control layer over Qt that the map and atlas components build on.
#pragma once

#include "Application.h"
#include "Bitmap.h"
#include "Canvas.h"
#include "Colors.h"
#include "Component.h"
#include "Controls.h"
#include "Frame.h"
#include "GraphicsTypes.h"
