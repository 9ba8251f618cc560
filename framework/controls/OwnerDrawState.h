#pragma once
// The state an owner-drawn list, combo box or menu item is drawn in, without the Win32 headers.

#include "framework/System.h"

enum TOwnerDrawStateItem { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit };
using TOwnerDrawState = Set<TOwnerDrawStateItem, 16>;
