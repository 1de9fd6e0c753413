// Identifiers of the solid test images the control tests load as bitmap resources.
#pragma once

#define IDB_TEST_NORMAL 901       // 40 x 20, (200, 40, 40)
#define IDB_TEST_PRESSED 902      // 40 x 20, (40, 200, 40)
#define IDB_TEST_HOVER 903        // 40 x 20, (40, 40, 200)
#define IDB_TEST_DISABLED 904     // 40 x 20, (200, 200, 40)
#define IDB_TEST_ALT_NORMAL 905   // 30 x 16, (120, 0, 120)
#define IDB_TEST_ALT_PRESSED 906  // 30 x 16, (0, 120, 120)
#define IDB_TEST_MISSING 999
