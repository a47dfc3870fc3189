#pragma once
// The link states drawn as dots: grey for stopped, amber for waiting, green for connected.
#include "ui/controls.h"

// An image list of the three dots, size pixels square, in the order of the states' values.
controls::ImageList MakeStateIcons(int size);
