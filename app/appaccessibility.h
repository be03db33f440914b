// Interfaces for assistive technology that Qt's defaults get wrong in the tester: the Check
// and help windows, plain QWidgets that Qt presents as fillers, are windows; the help text
// reads without table markers (HelpTextAccessible).

#ifndef APPACCESSIBILITY_H
#define APPACCESSIBILITY_H

// Makes Qt use them. Each window calls it; the first call installs them for the process.
void installAppAccessibility();

#endif // APPACCESSIBILITY_H
