// Every framework header in one translation unit (the list is made by CMake from the tree), so
// that two units declaring the same name fail the build as soon as the second one lands, not
// when some later file first includes both.
#include <gtest/gtest.h>

#include "AllFrameworkHeaders.h"

// Units that are not written yet but whose names are fixed: until they land, their colliding
// enumerations stand here, so that the framework's own names are known not to take them.
#if !__has_include("framework/DB.h")
enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate, ftTime,
  ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle,
  ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet,
  ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar,
  ftWideMemo, ftOraTimeStamp, ftOraInterval, ftLongWord, ftShortint, ftByte, ftExtended, ftConnection, ftParams,
  ftStream, ftTimeStampOffset, ftObject, ftSingle
};
#endif
#if !__has_include("framework/StdCtrls.h")
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
#endif

namespace {

TEST(AllHeaders, NamesOfDifferentUnitsLiveTogether) {
  // The stand-ins above compiled, so these are the framework's own spellings.
  static_assert(std::is_same_v<decltype(flSingle), TFloatType>);
  static_assert(std::is_same_v<decltype(Controls::ssHorizontal), TShiftStateItem>);
  // The shift state keeps its value names for streams and the type information.
  EXPECT_EQ(GetEnumName(TypeInfo<TShiftStateItem>(), Integer(Controls::ssHorizontal)), L"ssHorizontal");
  EXPECT_EQ(GetEnumValue(TypeInfo<TShiftStateItem>(), L"ssShift"), Integer(ssShift));
  TShiftState S{ssShift, Controls::ssHorizontal};
  EXPECT_TRUE(S.Contains(Controls::ssHorizontal));
}

}  // namespace
