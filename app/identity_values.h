/* The program's identity as plain macros, so that both the C++ code and the
   Windows resource script read the same values. */
#ifndef CORVANE_IDENTITY_VALUES_H
#define CORVANE_IDENTITY_VALUES_H

#define CORVANE_TITLE "Corvane Ombrel"
#define CORVANE_PROJECT_NAME "CorvaneOmbrel"
#define CORVANE_COMPANY_NAME "Varnhollow Industries"
#define CORVANE_EXE_NAME "Corvane Ombrel.exe"
#define CORVANE_VERSION_MAJOR 1
#define CORVANE_VERSION_MINOR 0
#define CORVANE_VERSION_REVISION 0
/* The version as the file metadata spells it (major "." two-digit minor). */
#define CORVANE_VERSION_RESOURCE_TEXT "1.00"
#define CORVANE_LOCALE 0x0409

#endif
