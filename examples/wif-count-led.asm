/ wif-count-led.asm - WIF mode
/ Counts on the LED display bound to output device 0, keeping the count in a named
/ RAM byte.

        _ISWIMODEON             / this is a WIF program
_RAM
COUNT                           / one RAM byte, at address 0
_ENDRAM

START,  ZERO COUNT              / COUNT = 0 (source and target: the same RAM byte)
LOOP,   PUT DEV0_OUT COUNT      / show COUNT on output device 0 and pulse it
WAIT,   SKO DEV0_OUT            / display ready again?
        GOTO WAIT
        INC COUNT               / COUNT = COUNT + 1, wrapping at 256
        GOTO LOOP
