// The operation pages: one builder per page (pages/page_*.cpp) lays out its
// controls and binds them to its operation's fields; the window builds the
// page of every operation of the registry through this table.
#pragma once

#include <string_view>

#include "app/pages/page_binding.h"

class QWidget;

namespace ferro::page {

// The binding is a child of the page.
using PageBuilder = PageBinding* (*)(const ops::Operation& op, QWidget* page);

// The builder of an operation's page by the operation's command-line name;
// null when there is none.
PageBuilder BuilderOf(std::string_view operation);

}  // namespace ferro::page
