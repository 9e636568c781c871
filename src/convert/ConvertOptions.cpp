#include "convert/ConvertOptions.h"
