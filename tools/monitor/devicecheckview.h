// ombrix-monitor's --find and --check: the search for the Skywand in the user's hand, or the
// guided check of one Skywand, fed with every frame the monitor parses. The check's checklist
// is redrawn in place on a terminal and printed as one plain line per change elsewhere; the
// outcome is the last line of the output and the exit status.

#ifndef DEVICECHECKVIEW_H
#define DEVICECHECKVIEW_H

#include "frameview.h"

#include <memory>

// The search with --find, the check with --check. Says on the error output what the user is to
// do; none, with a message, when the check's report cannot be written.
std::unique_ptr<FrameView> deviceView(const MonitorOptions& options,
                                      const FrameView::Context& context);

#endif // DEVICECHECKVIEW_H
