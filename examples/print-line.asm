/ print-line.asm - Normal mode
/ Prints "HELLO MIRA-8" on the printer (output device 0), one character at a time,
/ then halts. The text is stored with _PSTRING as printer codes and ends with a 0.
/ The printer waits for 20 characters, or prints a short line after a pause. Here
/ "~ " ends the text with a space carrying the repeat bit (128): spaces fill the
/ line, it prints at once, and the last wait lasts until it is on the paper.

START,  CLA
        TAD FIRST               / AC = address of the first character
        DCA PTR                 / PTR points at it; AC = 0
NEXT,   TAD I PTR               / AC = the character PTR points at (indirect)
        SZA                     / a 0 ends the text
        JMP PRINT
        HLT                     / all printed
PRINT,  PUT 0                   / send the character to the printer
WAIT,   SKO 0                   / wait while the printer is busy
        JMP WAIT
        ISZ PTR                 / point at the next character
        JMP NEXT

PTR,    #D0                     / the character pointer
FIRST,  TEXT                    / a label after a label gives its address

        _PAGEBREAK              / the text goes on the next page
TEXT,   _PSTRING "HELLO MIRA-8~ "
        #D0                     / end of the text
