#pragma once
// Headers shared by the shell and every library above it; compiled once.
#include "pch_core.h"

#include <QtGui>
#include <QtWidgets>
