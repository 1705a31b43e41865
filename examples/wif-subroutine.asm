/ wif-subroutine.asm - WIF mode
/ Adds STEP to a running total that survives power-off in the EEPROM.
/ Shows: RAM and EEPROM definition blocks, constants with arithmetic, CALL/RET,
/ and waiting for an EEPROM write to complete.

        _ISWIMODEON
_RAM
TOTAL                           / RAM 0
BUF     #D4 :#D3                / RAM 4, 5, 6 as BUF, BUF_1, BUF_2
_ENDRAM
_EEP
SAVED   #D2                     / EEPROM byte 2
_ENDEEP
_CONST STEP  #D5
_CONST LIMIT STEP + #D10        / 15
_CONST WHERE BUF_1              / a RAM name gives its address: 5

START,  EEP SAVED               / EEPROM pointer = SAVED
        EEP R                   / AC = EEPROM[SAVED], pointer moves on
        MOV A TOTAL             / TOTAL = AC
        CALL ADDSTEP            / TOTAL = TOTAL + STEP
        MOV TOTAL A             / AC = TOTAL
        SKIP < LIMIT            / below the limit? skip the reset
        MOVL 0                  / no: start again from 0
        MOV A BUF               / keep a copy in BUF
        EEP SAVED
        EEP W                   / EEPROM[SAVED] = AC (takes a few ms)
WAITW,  EEP SKIPWC              / skip once the write has completed
        GOTO WAITW
        MOVL WHERE
        HALT

/ ADDSTEP: TOTAL = TOTAL + STEP. AC is changed.
ADDSTEP, MOVL STEP
        ADD A TOTAL T           / the sum goes to the target, TOTAL
        RET
