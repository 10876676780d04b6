/* Resource ids of the Windows program, shared by the resource script and the
   code that loads pictures. */
#ifndef CORVANE_RESOURCE_IDS_H
#define CORVANE_RESOURCE_IDS_H

#define IDI_PROGRAM 1

#define IDP_LOGO 201

#define IDB_TOOLBAR_BACK 301
#define IDB_TOOLBAR_FORWARD 302
#define IDB_TOOLBAR_STOP 303
#define IDB_TOOLBAR_REFRESH 304
#define IDB_TOOLBAR_HOME 305
#define IDB_TOOLBAR_SEARCH 306
#define IDB_TOOLBAR_ABOUT 307

#endif
