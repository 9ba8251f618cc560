#include "kvlib/memtable/memtablekv/DataDriver.h"
