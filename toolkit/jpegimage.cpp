#include "jpegimage.h"
