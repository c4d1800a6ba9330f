#include "intro/scroll_text.h"

// Only characters that the 8 x 8 font holds: A-Z, 0-9, the blank and # . : - , & !
// The 80 blanks in front fill the 640-pixel line, so the first frame shows an empty line
// and the text comes in from the right edge, one pixel a frame.
const char scroll_text[] =
    "                                                                                "
    "HI THERE! KLOV PRESENTS KLOV4402, A ONE SCREEN INTRO, OUT ON THE 29TH OF AUGUST 2008."
    "          "
    "MADE FOR THE GRAUWACKE GATHERING #2 IN A DRAUGHTY BOATHOUSE BY THE LAKE - THANKS FOR "
    "THE SOUP, ORGANISERS!"
    "          "
    "PRESS KEYS: O,P: SCROLL SPEED  SPACE-BAR: SPRITES  ESC,Q: EXIT"
    "          "
    "QUARZBRECHER ON THE KEYS: I CODED THIS ON THE NIGHT TRAIN AND FINISHED IT AT 4 AM, NEXT "
    "TO A SNORING MOOSGRAU. WATCH OUR LOGO MELT INTO GLITTER - IT LOOKS EVEN BETTER AFTER A "
    "THIRD COFFEE!"
    "          "
    "CREDITS: CODE BY QUARZBRECHER - GRAPHICS BY MOOSGRAU - MUSIC BY VELOURIA KNOPF - "
    "DISTRIBUTION BY PAKETFUX."
    "           "
    "GREETINGS FLY TO TORFKOPF, BLECHOTTER, KNISTERLAND, GRAUBROT & ZWIEBELTURM, THE "
    "OKRASPEICHER BBS & THE SUMPFLICHT BOARD. SEE YOU AT THE NEXT GATHERING! KLOV SIGNS OFF "
    "... TIME TO WRAP!"
    "                                     ";
