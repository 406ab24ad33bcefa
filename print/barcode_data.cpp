#include "print/barcode_data.h"
