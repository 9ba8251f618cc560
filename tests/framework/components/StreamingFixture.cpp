#include "tests/framework/components/StreamingFixture.h"

PUBLISHED_DEF(TDemoFont) {
  PROP(Name);
  PROP(Size).Default(8);
  PROP(Style).Default(TDemoStyles{});
}

PUBLISHED_DEF(TDemoColumn) {
  PROP(Caption);
  PROP(Width).Default(64);
  PROP(Align).Default(daNone);
}

PUBLISHED_DEF(TDemoControl) {
  PROP(Caption);
  PROP(Left);
  PROP(Visible).Default(true);
  PROP(Align).Default(daNone);
  PROP(Options).Default(TDemoStyles{dsBold});
  PROP(Ratio);
  PROP(Scale);
  PROP(Price);
  PROP(When);
  PROP(Big);
  PROP(Letter).Default(L'A');
  PROP(Font);
  PROP(Columns);
  PROP(Lines);
  PROP(Buddy);
  PROP(Hint).Stored(&TDemoControl::IsHintStored);
  PROP(Scratch).Stored(false);
  PROP(Value);
  PROP(Shade).Default(0).Idents(&TDemoControl::IdentToShade, &TDemoControl::ShadeToIdent);
  EVENT(OnClick);
}

PUBLISHED_DEF(TDemoForm) {
  PROP(Caption);
  EVENT(OnShow);
  METHOD(ButtonClick);
  METHOD(FormShow);
}
