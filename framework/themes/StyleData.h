#pragma once
// A custom visual style as it is stored: a UTF-8 text of sections and "key = value" lines (see
// docs/framework-styles.md). Parsing checks every name and colour and reports the line at fault.

#include <map>
#include <tuple>
#include <memory>

#include "framework/themes/ThemeTypes.h"

DECLARE_EXCEPTION(EStyleEngineException, Exception);

// How a custom style draws one element detail; clNone where the style says nothing.
struct TElementStyle {
  TColor Fill = clNone;
  TColor Fill2 = clNone;  // the gradient's end colour, top to bottom
  TColor Border = clNone;
  TColor Text = clNone;
  TColor Glyph = clNone;  // check marks, arrows, the caption buttons' signs
  TColor EdgeHighlight = clNone;
  TColor EdgeShadow = clNone;
  Integer Radius = 0;     // rounded corners of the fill and border
};

class TStyleData {
 public:
  // Raises EStyleEngineException naming the line when Text is not a well-formed style.
  static std::unique_ptr<TStyleData> Parse(const String& Text);

  String Name;
  String Author;
  String Description;
  // The styled value of each system colour by its index (clBtnFace is 15); clNone: not styled.
  TColor SystemColors[31];
  TColor StyleColors[StyleColorCount];
  TColor FontColors[StyleFontCount];
  // Keyed by element, part and state.
  std::map<std::tuple<Integer, Integer, Integer>, TElementStyle> Elements;

  TStyleData();
  // The detail's own entry, else the entry of its part's first state, else null.
  const TElementStyle* FindElement(const TThemedElementDetails& Details) const;
};
