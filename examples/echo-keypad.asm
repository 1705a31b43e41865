/ echo-keypad.asm - Normal mode
/ Shows every key pressed on the Keypad (input device 0) on the LED display
/ (output device 0).

WAITK,  SKI 0                   / has the keypad a key for us?
        JMP .-1                 / no: back to the SKI (relative jump)
        GET 0                   / AC = the key, and tell the keypad we took it
        PUT 0                   / show it; AC becomes 0
WAITO,  SKO 0                   / wait until the display is ready again
        JMP WAITO
        JMP WAITK               / and wait for the next key
