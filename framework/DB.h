#pragma once
// DB: the dataset model: field types and definitions, fields, datasets, data sources and data
// links. The unit is large, so it lives in framework/db/ with one file per concern.

#include "framework/db/DBTypes.h"
#include "framework/db/DBConsts.h"
#include "framework/db/FieldDefs.h"
#include "framework/db/Fields.h"
#include "framework/db/DataSet.h"
#include "framework/db/DataLink.h"
#include "framework/db/ExprParser.h"
#include "framework/db/Params.h"
