/ count-on-led.asm - Normal mode
/ Counts 0, 1, 2 ... 255, 0 ... on the LED display bound to output device 0.
/ Open "OCTAL LED Display" (or the decimal one) on output device 0, set PC to 0, RUN.
/
/ The display becomes busy when it is pulsed and ready again a moment later; the
/ program waits for "ready" before it shows the next number.

        _ISZEROPAGEOFF          / addresses below are page-relative
        _ISRESETT13             / the display expects its pulse after the data

START,  CLA                     / AC = 0
LOOP,   TAD COUNT               / AC = the count (AC was 0)
        PUT 0                   / show AC on output device 0; AC becomes 0
WAIT,   SKO 0                   / display ready again? then skip the jump
        JMP WAIT                / no: ask again
        ISZ COUNT               / next number; after 255 it wraps to 0 and skips
        NOP                     / (the skip lands here)
        JMP LOOP

COUNT,  #D0                     / the number on show
