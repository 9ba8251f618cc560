#pragma once
// Menus: menu items, main and popup menus, the popup list, shortcuts and the menu-building
// helpers. One file per concern in framework/menus/.

#include "framework/menus/ShortCut.h"
#include "framework/menus/MenuItem.h"
#include "framework/menus/Menu.h"
#include "framework/menus/MenuActionLink.h"
