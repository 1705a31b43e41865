/ hello-ten-digit.asm - Normal mode
/ Shows "HELLo 8:30" on the ten-digit display (output device 0).
/ Open "Display 10 Digit" on output device 0, set PC to 0, RUN.
/
/ The display takes command bytes: 95 (D10_ON) switches it on, 112 (D10_INI) blanks
/ every cell and puts the cursor on the left, 64 + n (D10_IDX + n) moves the cursor to
/ cell n, and 0 to 37 are the characters it can show (0-9 digits, 11 a colon, 22 H,
/ 19 E, 27 L, 29 o ...). The display is always ready, so nothing waits.
/ The list ends with 255, which is also a raw pattern, so it is never sent.

START,  CLA
        TAD FIRST               / AC = address of the first command byte
        DCA PTR
NEXT,   TAD I PTR               / AC = the byte PTR points at
        IAC                     / 255 + 1 = 0: the end of the list
        SZA
        JMP SHOW
        HLT                     / all shown
SHOW,   TAD MINUS1              / undo the IAC
        PUT 0                   / send the byte to the display; AC becomes 0
        ISZ PTR
        JMP NEXT

PTR,    #D0
FIRST,  BYTES
MINUS1, #D255                   / adding 255 subtracts 1

        _PAGEBREAK
BYTES,  #D95                    / D10_ON
        #D112                   / D10_INI: blank, cursor on cell 0
        #D22                    / H
        #D19                    / E
        #D27                    / L
        #D27                    / L
        #D29                    / o
        #D70                    / D10_IDX + 6: skip cell 5, leaving it blank
        #D8                     / 8
        #D11                    / :
        #D3                     / 3
        #D0                     / 0
        #D255                   / end of the list
