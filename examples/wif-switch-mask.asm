/ wif-switch-mask.asm - WIF mode
/ Shows the switch register on the decimal LED display (output device 0), over and
/ over. Open "External Switches" and "Decimal LED Display" (output device 0), RUN,
/ then throw the external data switches: SR is the panel's switches ANDed with the
/ external ones, so a switch at 0 on either row clears its bit.

        _ISWIMODEON

LOOP,   RDSR                    / AC = SR (panel AND external switches)
        PUT DEV0_OUT A          / show it
        GOTO LOOP
