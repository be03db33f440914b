// The program's compiled-in resources (the window icon) live in a static library. Naming their
// initialiser from the classes that use them keeps the linker from dropping them; registering
// them more than once is harmless.

#ifndef APPRESOURCES_H
#define APPRESOURCES_H

#include <QtGlobal>

inline void registerAppResources() {
    Q_INIT_RESOURCE(skywandtester);
}

#endif // APPRESOURCES_H
