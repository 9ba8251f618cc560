#pragma once
#include "framework/System.h"
