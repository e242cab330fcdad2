// Identifiers of the resources in resources.rc, shared by the resource script and the code.
#pragma once

#define VKDC_IDI_PROGRAM 1  // the program icon, every size vkdc-art paints
#define VKDC_IDB_BANNER_MAIN 101
#define VKDC_IDB_BANNER_VKDC12 102
#define VKDC_IDB_BANNER_VKDC23 103
