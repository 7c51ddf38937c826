#pragma once

// The platform wrappers the window relies on: the settings file beside the
// executable and the modal folder picker.
#include "folder_picker/folder_picker.h"
#include "settings/settings.h"
