#pragma once
// Resource identifiers of the dialogs' pictures and icon.
#define IDI_TUNECASTER 101
#define IDB_BANNER 102
#define IDB_SMALL 103
