#pragma once
// Forms: TCustomForm/TForm and TDataModule, TApplication with the message loop, and TScreen.

#include "framework/Controls.h"
#include "framework/forms/Form.h"
#include "framework/forms/Screen.h"
#include "framework/forms/Application.h"
