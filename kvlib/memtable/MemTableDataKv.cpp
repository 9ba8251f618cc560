#include "kvlib/memtable/MemTableDataKv.h"

#include <vector>

// ---- Unit start-up ------------------------------------------------------------------------------

namespace {
Integer MemTableStartupCount = 0;

std::vector<TClass> MemTableStorageClasses() {
  return {TMemTableDataKv::StaticClass(),        TMTDataStructKv::StaticClass(),         TRecordsListKv::StaticClass(),
          TMTDataFieldKv::StaticClass(),         TMTStringDataFieldKv::StaticClass(),    TMTNumericDataFieldKv::StaticClass(),
          TMTDateTimeDataFieldKv::StaticClass(), TMTBlobDataFieldKv::StaticClass(),      TMTBooleanDataFieldKv::StaticClass(),
          TMTInterfaceDataFieldKv::StaticClass(), TMTVariantDataFieldKv::StaticClass(),  TMTRefObjectFieldKv::StaticClass(),
          TMTSQLTimeStampDataFieldKv::StaticClass()};
}
}  // namespace

void MemTableDataKvStartup() {
  if (MemTableStartupCount++ > 0) return;
  for (TClass C : MemTableStorageClasses()) RegisterClass(C);
  varByteArrayKv = VarType(VarArrayCreate({0, 1}, varByte));
  varUStringKv = varUString;
}

void MemTableDataKvShutdown() {
  if (MemTableStartupCount == 0 || --MemTableStartupCount > 0) return;
  for (TClass C : MemTableStorageClasses()) UnRegisterClass(C);
}
