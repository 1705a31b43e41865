/ wif-table-lookup.asm - WIF mode
/ Reads a key 0-9 from the keypad (input device 0) and shows its square on the LED
/ display (output device 0). The squares come from a RETVAL table: adding AC to the
/ low byte of PC jumps into the table, and RETVAL returns with the value in AC.

        _ISWIMODEON
_RAM
KEY
_ENDRAM

WAITK,  SKI DEV0_IN             / a key?
        GOTO WAITK              / no: ask again
        GET DEV0_IN KEY         / KEY = the key, acknowledged
        MOV KEY A               / AC = KEY
        ANDL #$0F               / keep 0-15
        SKIP < #D10             / only 0-9 have a square here
        GOTO WAITK
        CALL SQUARE             / AC = KEY x KEY
        PUT DEV0_OUT A          / show it
WAITO,  SKO DEV0_OUT
        GOTO WAITO
        GOTO WAITK

/ SQUARE: AC = AC x AC for AC = 0..9 (the table must not cross a 256-word page).
SQUARE, ADD A P T               / PC = this address + AC + 1
        RETVAL #D0
        RETVAL #D1
        RETVAL #D4
        RETVAL #D9
        RETVAL #D16
        RETVAL #D25
        RETVAL #D36
        RETVAL #D49
        RETVAL #D64
        RETVAL #D81
