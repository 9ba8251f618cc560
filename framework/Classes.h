#pragma once
// Classes: lists, string lists, streams, threads, persistent objects, components, collections and
// their streaming. The unit is large, so it lives in framework/classes/ with one file per concern.

#include "framework/Types.h"
#include "framework/classes/Lists.h"
#include "framework/classes/Strings.h"
#include "framework/classes/Streams.h"
#include "framework/classes/Thread.h"
#include "framework/classes/Persistent.h"
#include "framework/classes/Component.h"
#include "framework/classes/Collection.h"
#include "framework/classes/Filer.h"
#include "framework/classes/Reader.h"
#include "framework/classes/Writer.h"
#include "framework/classes/ObjectText.h"
