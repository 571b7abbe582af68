#pragma once
// Identifiers of the program's resources; the resource script includes this file too, so it
// holds nothing but macros.
#define TA_IDI_APP 1           // the window icon, 16 x 16 and 32 x 32
#define TA_IDR_BANNER 101      // the pages' banner, a GIF of type "GIF"
#define TA_IDR_BANNER_120 102  // the banner drawn for 120, 144 and 192 DPI
#define TA_IDR_BANNER_144 103
#define TA_IDR_BANNER_192 104
#define TA_RT_GIF "GIF"
