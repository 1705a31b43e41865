/ hello-alpha.asm - Normal mode
/ Shows HELLO in green on line 2 of the two-line alpha display (output device 0).
/ Open "Display 2 Line Alpha" on output device 0, set PC to 0, RUN.
/
/ The display takes command bytes: 128 (AL_INI) blanks both lines and sets red, line 1
/ and column 0 (the display keeps what an earlier program left, Transfer does not reset
/ it), 135 (AL_ON) switches it on, 133 (AL_BLN) selects
/ line 2 with the cursor at column 0, 17 (AL_GRN) selects green, and 32 to 126 are
/ characters, each written at the cursor, which then moves one column right. The
/ display is always ready, so the program sends byte after byte without waiting.

START,  CLA
        TAD FIRST               / AC = address of the first command byte
        DCA PTR                 / PTR points at it; AC = 0
NEXT,   TAD I PTR               / AC = the byte PTR points at
        SZA                     / a 0 ends the list
        JMP SHOW
        HLT                     / all shown
SHOW,   PUT 0                   / send the byte to the display; AC becomes 0
        ISZ PTR                 / point at the next byte
        JMP NEXT

PTR,    #D0                     / the byte pointer
FIRST,  BYTES                   / a label after a label gives its address

        _PAGEBREAK              / the bytes go on the next page
BYTES,  #D128                   / AL_INI: a clean display
        #D135                   / AL_ON: display on
        #D133                   / AL_BLN: line 2, column 0
        #D17                    / AL_GRN: green
        _STRING "HELLO"
        #D0                     / end of the list
