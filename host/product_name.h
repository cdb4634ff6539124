// The product's name as every host lists it: the editor's transform list,
// the LV2 plug-ins' names. A macro, so that texts can be built around it.
#pragma once

#define TOVANA_PRODUCT_NAME "Zentrix Tovana"
