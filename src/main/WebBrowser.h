// Whether the system has a web browser that an address can be handed to,
// looked for where the window system's own hand-over looks: the desktop's
// opener (xdg-open), the browser named by $DEFAULT_BROWSER or $BROWSER,
// and the common browsers on the search path.
#pragma once

#include <QString>

namespace toponyx::desktop {

bool WebBrowserFound();

// The box shown when there is none.
QString NoWebBrowserText(const QString& url);

}  // namespace toponyx::desktop
