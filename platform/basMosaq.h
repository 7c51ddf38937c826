#pragma once

// The platform wrappers the window relies on: the settings file beside the
// executable and the modal folder picker.
#include "platform/folder_picker.h"
#include "platform/settings.h"
