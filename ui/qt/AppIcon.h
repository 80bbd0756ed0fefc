// The application icon (resource 129) as a Qt icon.
#pragma once

#include <QIcon>

namespace qtui {

// The icon of the resource script when it was built in, else a drawn stand-in.
QIcon AppIcon();

}  // namespace qtui
