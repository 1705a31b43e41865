/ wif-print-line.asm - WIF mode
/ Writes "HELLO, MIRA-8" on the two-line alpha display (output device 0). The text
/ is a RETVAL table made by _STRING and ends with a 0.

        _ISWIMODEON
_RAM
INDEX
_ENDRAM

START,  MOVL AL_ON              / the display starts switched off
        CALL OUTCH
        MOVL AL_INI             / a clean display: blank, red, line 1, whatever was left
        CALL OUTCH
        ZERO INDEX
NEXT,   MOV INDEX A             / AC = INDEX
        CALL CHAR               / AC = character INDEX of the text
        SKIP = 0                / the 0 at the end?
        GOTO SHOW
        HALT
SHOW,   CALL OUTCH
        INC INDEX
        GOTO NEXT

/ OUTCH: AC to the display, then wait until it is ready.
OUTCH,  PUT DEV0_OUT A
WAIT,   SKO DEV0_OUT
        GOTO WAIT
        RET

CHAR,   ADD A P T               / jump to the RETVAL of character AC
TEXT,   _STRING "HELLO, MIRA-8"
        RETVAL 0
