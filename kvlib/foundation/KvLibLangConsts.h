#pragma once
// The family's texts: every message, caption and menu text that its controls, dialogs and grids
// show, one published string property each, so that a language resource can replace them. The
// program uses the Turkish texts of the constants' own form resource (TKVLIBLANGUAGECONSTS).

#include "framework/Classes.h"

// The published texts in their declaration order (the order of the form resource).
#define KV_LIB_LANGUAGE_CONSTS(X) \
  X(Language) X(ClearSelectedCells) X(InvalidTextFormat) X(InvalidVCLDBIFFormat) X(ErrorDuringInsertValue) \
  X(IgnoreError) X(TabularInformation) X(PageOfPages) X(Preview) X(FieldNameNotFound) \
  X(FindDialogStringNotFoundMessage) X(VisibleColumns) X(Cut) X(Copy) X(Paste) X(Delete) X(SelectAll) \
  X(CustomizeColumnsDialog) X(STFilterListItem_Empties) X(STFilterListItem_NotEmpties) X(STFilterListItem_All) \
  X(STFilterListItem_SelectAll) X(STFilterListItem_ClearFilter) X(STFilterListItem_ClearFilterInColumn) \
  X(STFilterListItem_SortingByDescend) X(STFilterListItem_SortingByAscend) X(STFilterListItem_ApplyFilter) \
  X(STFilterListItem_CustomFilter) X(SimpFilter_equals) X(SimpFilter_does_not_equal) \
  X(SimpFilter_is_greate_than) X(SimpFilter_is_greate_than_or_equall_to) X(SimpFilter_is_less_than) \
  X(SimpFilter_is_less_than_or_equall_to) X(SimpFilter_begins_with) X(SimpFilter_does_not_begin_with) \
  X(SimpFilter_ends_with) X(SimpFilter_does_not_end_with) X(SimpFilter_contains) X(SimpFilter_does_not_contain) \
  X(SimpFilter_like) X(SimpFilter_not_like) X(SimpFilter_in_list) X(SimpFilter_not_in_list) \
  X(SimpFilter_is_blank) X(SimpFilter_is_not_blank) X(GroupingPanelText) X(NoDataKv) X(CalculatorError) \
  X(QuoteIsAbsentKv) X(LeftBracketExpectedKv) X(RightBracketExpectedKv) X(ErrorInExpressionKv) \
  X(UnexpectedExpressionBeforeNullKv) X(UnexpectedExpressionAfterOperatorKv) X(IncorrectExpressionKv) \
  X(UnexpectedANDorORKv) X(GridSelectionInfo_Sum) X(GridSelectionInfo_Cnt) X(GridSelectionInfo_Evg) \
  X(GridSelectionInfo_Min) X(GridSelectionInfo_Max) X(CellCountKv) X(DBGridKvGroupingFooter_Sum) \
  X(DBGridKvGroupingFooter_Count) X(DBGridKvGroupingFooter_Avg) X(DBGridKvGroupingFooter_Max) \
  X(DBGridKvGroupingFooter_Min) X(DBGridKvGroupingFooter_Empty) X(FirstRecordKv) X(PriorRecordKv) \
  X(NextRecordKv) X(LastRecordKv) X(InsertRecordKv) X(DeleteRecordKv) X(EditRecordKv) X(PostEditKv) \
  X(CancelEditKv) X(ConfirmCaptionKv) X(RefreshRecordKv) X(DeleteMultipleRecordsQuestionKv) \
  X(DeleteAllRecordsQuestionKv) X(DuplicateVarNameKv) X(SearchPanelEditorPromptText) X(UnsupportedFieldTypeKv) \
  X(SearchPanelApplyFilterKv) X(SearchPanelCancelFilterKv) X(SearchPanelFindNextKv) X(SearchPanelFindPrevKv) \
  X(SearchPanelOptionsKv) X(SortingByThisColumnIsNotPossibleKv) X(GroupingByThisColumnIsNotPossibleKv) \
  X(FindItemNameAllKv) X(ElapsedTimeKv) X(PivotDataBuildingInProgressKv) X(PressESCToCancelKv) X(GrandTotalKv) \
  X(TotalKv) X(PivotValueFieldDisplayNameKv) X(PivotRowsKv) X(PivotColumnsKv) X(PivotValuesKv) \
  X(PivotDataIsNotLoadedKv) X(PivotSliceNonDisplayNameKv) X(PivotSliceYearDisplayNameKv) \
  X(PivotSliceQuarterDisplayNameKv) X(PivotSliceMonthDisplayNameKv) X(PivotSliceWeekDisplayNameKv) \
  X(PivotSliceDayDisplayNameKv) X(PivotSliceHourDisplayNameKv) X(PivotSliceMinDisplayNameKv) \
  X(PivotSliceSecDisplayNameKv) X(PivotSliceMSecDisplayNameKv) X(PivotSumFunctionNon) X(PivotSumFunctionSum) \
  X(PivotSumFunctionCount) X(PivotSumFunctiontAvg) X(PivotSumFunctionMax) X(PivotSumFunctionMin) \
  X(PivotSumFunctionCountDistinct) X(PivotSumFunctionProduct) X(PivotSumFunctionStDev) \
  X(PivotSumFunctionStDevp) X(PivotSumFunctionVar) X(PivotSumFunctionVarp) X(PivotSumFunctionCustom) \
  X(PlannerResourceUnassignedKv) X(PlannerNextEventKv) X(PlannerPriorEventKv) X(PlannerDeletePlanItemKv) \
  X(PlannerPeriodFromKv) X(PlannerPeriodToKv) X(PlannerWeekTextKv) X(PlannerEndTimeBeforeStartTimeKv) \
  X(OKButtonKv) X(CancelButtonKv) X(GridLoadingModeTextKv) X(SearchScopeKv) X(CurrentColumnKv) \
  X(TheEntireGridKv) X(CaseSensitiveKv) X(WholeWordsKv) X(BeginsWithKv) X(CloseInBracketsKv) X(LabelColumnKv) \
  X(DataColumnKv) X(TodayKv) X(PreviewForm_Caption) X(PreviewForm_Print_Hint) X(PreviewForm_Print_Caption) \
  X(PreviewForm_PrinterSetupDialog_Hint) X(PreviewForm_PrinterSetupDialog_Caption) X(PreviewForm_Scale_Hint) \
  X(PreviewForm_Scale_Caption) X(PreviewForm_PrevPage_Hint) X(PreviewForm_PrevPage_Caption) \
  X(PreviewForm_NextPage_Hint) X(PreviewForm_NextPage_Caption) X(PreviewForm_Stop_Caption) \
  X(PreviewForm_Close_Hint) X(PreviewForm_Close_Caption) X(PreviewForm_MenuPageWidth) \
  X(PreviewForm_MenuFullPage) X(PrnDBGridKvSetupDialog_Caption) X(PrnDBGridKvSetupDialog_Margins) \
  X(PrnDBGridKvSetupDialog_Top) X(PrnDBGridKvSetupDialog_Bottom) X(PrnDBGridKvSetupDialog_Left) \
  X(PrnDBGridKvSetupDialog_Right) X(PrnDBGridKvSetupDialog_StretchLongLines) \
  X(PrnDBGridKvSetupDialog_PrinterSetup) X(PrnDBGridKvSetupDialog_Colored) \
  X(PrnDBGridKvSetupDialog_ScaleWholeGrid) X(PrnDBGridKvSetupDialog_ChangeColumnWidths) \
  X(PrnDBGridKvSetupDialog_FitWidthToPage) X(PrnDBGridKvSetupDialog_OptimalColWidths) \
  X(PlannerItemForm_Caption) X(PlannerItemForm_Item_Title) X(PlannerItemForm_Item_StartTime) \
  X(PlannerItemForm_Item_EndTime) X(PlannerItemForm_AllDayCheck) X(PlannerItemForm_Resource) \
  X(PictureEditorDialog_Caption) X(PictureEditorDialog_Load) X(PictureEditorDialog_Save) \
  X(PictureEditorDialog_Clear) X(PictureEditorDialog_Cut) X(PictureEditorDialog_Copy) \
  X(PictureEditorDialog_Paste) X(PictureEditorDialog_ZoomIn) X(PictureEditorDialog_ZoomOut) \
  X(PictureEditorDialog_Reset) X(EditPivotField_Caption) X(EditPivotField_AggrFunc) \
  X(EditPivotField_DisplayFormat) X(DBGridKvSimpleFilterDialog_Caption) \
  X(DBGridKvSimpleFilterDialog_ShowRecordsWhere) X(DBGridKvSimpleFilterDialog_OneCharWildcardInfo) \
  X(DBGridKvSimpleFilterDialog_SeveralCharsWildcardInfo) X(DBGridKvSimpleFilterDialog_Or_Caption) \
  X(DBGridKvSimpleFilterDialog_And_Caption) X(DBGridKvFindDlg_Caption) X(DBGridKvFindDlg_FindWhat) \
  X(DBGridKvFindDlg_FindIn) X(DBGridKvFindDlg_Match) X(DBGridKvFindDlg_Search) X(DBGridKvFindDlg_FindInTree) \
  X(DBGridKvFindDlg_FindNext) X(DBGridKvFindDlg_Close) X(DBGridKvFindDlg_FromAnyPart) \
  X(DBGridKvFindDlg_WholeField) X(DBGridKvFindDlg_FromBeging) X(DBGridKvFindDlg_Direction_Up) \
  X(DBGridKvFindDlg_Direction_Down) X(DBGridKvFindDlg_Direction_All) X(DBGridKvFindDlg_MatchCase) \
  X(DBGridKvFindDlg_MatchFormat) X(DBGridKvFindDlg_TreeRange_InAllNodes) \
  X(DBGridKvFindDlg_TreeRange_InExpandedNodes) X(DBGridKvFindDlg_TreeRange_InCurrentLevel) \
  X(DBGridKvFindDlg_TreeRange_InCurrentNode) X(PrintPageSetupDialog_Caption) X(PrintPageSetupDialog_Page) \
  X(PrintPageSetupDialog_Orientation) X(PrintPageSetupDialog_Scaling) X(PrintPageSetupDialog_Portrait) \
  X(PrintPageSetupDialog_Landscape) X(PrintPageSetupDialog_PrNormalSize) X(PrintPageSetupDialog_PageWideBy) \
  X(PrintPageSetupDialog_tall) X(PrintPageSetupDialog_AdjustTo) X(PrintPageSetupDialog_FitTo) \
  X(PrintPageSetupDialog_Margins) X(PrintPageSetupDialog_Left) X(PrintPageSetupDialog_Top) \
  X(PrintPageSetupDialog_Bottom) X(PrintPageSetupDialog_Right) X(PrintPageSetupDialog_Header) \
  X(PrintPageSetupDialog_Footer) X(PrintPageSetupDialog_HeaderFooter) X(PrintPageSetupDialog_ChangeFont) \
  X(PrintPageSetupDialog_FontAbr) X(PrintPageSetupDialog_InsertPageNo_Hint) \
  X(PrintPageSetupDialog_InsertPageNo_Abr) X(PrintPageSetupDialog_InsertPages_Hint) \
  X(PrintPageSetupDialog_InsertPages_Abr) X(PrintPageSetupDialog_InsertDate_Hint) \
  X(PrintPageSetupDialog_InsertDate_Abr) X(PrintPageSetupDialog_InsertShortDate_Hint) \
  X(PrintPageSetupDialog_InsertShortDate_Abr) X(PrintPageSetupDialog_InsertLongDate_Hint) \
  X(PrintPageSetupDialog_InsertLongDate_Abr) X(PrintPageSetupDialog_InsertTime_Hint) \
  X(PrintPageSetupDialog_InsertTime_Abr) X(PrintPageSetupDialog_PageHeader) X(PrintPageSetupDialog_PageFooter) \
  X(PrintPageSetupDialog_Center) X(MemoEditWin_Caption) X(DBGridKvCustomizeColumnsDialog_VisibleColumns) \
  X(DBGridKvCustomizeColumnsDialog_HiddenColumns) X(DBGridKvCustomizeColumnsDialog_Caption) \
  X(DBGridKvCustomizeColumnsDialog_ColumnName) X(DBGridKvCustomizeColumnsDialog_ColumnWidth) \
  X(DBGridKvCustomizeColumnsDialog_SetWidth_Hint) X(DBGridKvCustomizeColumnsDialog_MoveUp_Hint) \
  X(DBGridKvCustomizeColumnsDialog_MoveDown_Hint) X(DBGridKvCustomizeColumnsDialog_Hide_Hint) \
  X(DBGridKvCustomizeColumnsDialog_Show_Hint) X(DBGridKvCustomizeColumnsDialog_EnterNumericalValue) \
  X(DBGridKvCustomizeColumnsDialog_EnterColumnWidthS)

class TKvLibLanguageConsts : public TComponent {
  DECLARE_CLASS(TKvLibLanguageConsts, TComponent)
 public:
  // The English defaults of the few texts that have one, then the constants' own form resource
  // over them.
  explicit TKvLibLanguageConsts(TComponent* AOwner);

#define KV_LANG_CONST_ACCESSORS(N) \
  String Get##N() const { return F##N; } \
  void Set##N(const String& Value) { F##N = Value; }
  KV_LIB_LANGUAGE_CONSTS(KV_LANG_CONST_ACCESSORS)
#undef KV_LANG_CONST_ACCESSORS

  PUBLISHED_DECL(TKvLibLanguageConsts);

 private:
#define KV_LANG_CONST_FIELD(N) String F##N;
  KV_LIB_LANGUAGE_CONSTS(KV_LANG_CONST_FIELD)
#undef KV_LANG_CONST_FIELD
};

// The one instance, made without an owner on first use (and registered then as a localizable
// object of the language manager); freed at exit.
TKvLibLanguageConsts* KvLibLanguageConsts();
// Registers the constants with the language manager: AddLocalizableObject(KvLibLanguageConsts,
// "TKvLibLanguageConsts", "KvLibLangConsts", "ENU"). KvLibLanguageConsts() calls it itself.
void RegisterKvLibLanguageConsts();
