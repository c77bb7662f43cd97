// The program's icon: PNG renderings of resources/vazadod.svg in the desktop's icon sizes, built
// into the program as resources under ":/icons/", so that its windows show the icon on systems
// without the SVG image plugin.
#pragma once

#include <QIcon>

// One entry per built-in size; empty when the program was built without the renderings.
QIcon AppIcon();
