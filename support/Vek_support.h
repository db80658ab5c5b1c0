// The base and math support packages of the library.
#pragma once

#include "BitFld.h"
#include "CurveFit.h"
#include "DegreeText.h"
#include "Matrix.h"
#include "MathUtils.h"
#include "PascalArray.h"
#include "SLine.h"
#include "ShortString.h"
#include "Streams.h"
#include "StrUtils.h"
#include "Svd.h"
#include "TagReader.h"
#include "VekError.h"
#include "VekTypes.h"
