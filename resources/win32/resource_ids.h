/* Resource ids of the Windows program, shared by the resource script and the
   code that loads pictures. */
#ifndef CORVANE_RESOURCE_IDS_H
#define CORVANE_RESOURCE_IDS_H

#define IDI_PROGRAM 1

/* The pictures the windows name: made from resources/pictures.txt at build
   time (the target corvane_picture_ids gives its folder). */
#include "resources/win32/picture_ids.h"

#endif
