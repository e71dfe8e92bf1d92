#pragma once
// Headers shared by the window-free libraries (platform, data, the
// subcommands); compiled once. Qt Core only: a widget header included below
// the shell fails to compile.
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
