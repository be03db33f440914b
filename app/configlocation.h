// Where the tester keeps its port text.
//
// The file "skywandtester.config" beside the executable, as long as the user may write into
// that folder. An installed copy's folder belongs to root: there each user keeps a file of
// his own in his configuration folder (~/.config/skywandtester/, or under $XDG_CONFIG_HOME),
// which starts from the file beside the executable, so that an administrator's port still
// applies to every user until he changes it.

#ifndef CONFIGLOCATION_H
#define CONFIGLOCATION_H

#include <QString>

struct ConfigLocation {
    static ConfigLocation find();

    bool perUser() const { return !seedPath.isEmpty(); }

    QString path;     // the file read and written
    QString seedPath; // per user only: read when `path` does not exist yet
};

#endif // CONFIGLOCATION_H
