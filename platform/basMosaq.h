#pragma once

// The platform wrappers the window relies on, in basMosaq::: ReadSetting and WriteSetting
// over the settings file beside the executable, and BrowseForFolder, the modal folder
// picker. Their libraries' other names live in settings:: and folder_picker::.
#include "folder_picker/folder_picker.h"
#include "settings/settings.h"
