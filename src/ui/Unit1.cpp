#include "ui/Unit1.h"
