// The data link's exchange of patients and results with another program through shared
// folders. Not built yet: these keep their callers working and do nothing, and say so by
// their result where they have one. They never claim an import or a file that did not happen.
#include "records/UsbUtils.h"
