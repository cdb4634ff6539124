// Resource ids shared by the .rc file and the code. Registry names are
// string resources; their ids are listed with each setting in
// settings/setting_tables.cpp and with the keys in settings/registry_names.h.
#pragma once

#define IDS_PROPERTY_SHEET 1100
