#pragma once
// Headers shared by nearly every translation unit; compiled once.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QtCore>
#include <QtGui>
#include <QtWidgets>
