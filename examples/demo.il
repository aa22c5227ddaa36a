// Ferrolad demo program
// X0 start button, X1 stop button, X2 part sensor
// Y0 machine running, Y1 blinking lamp, Y2 batch of 10 parts done
// Start/stop latch
LD	X0
OR	Y0
ANI	X1
OUT	Y0
// Blink Y1 while running: T0 and T1 run alternately
LD	Y0
ANI	T1
TMR	T0	K5
LD	T0
TMR	T1	K5
LD	Y0
ANI	T0
OUT	Y1
// Count parts; the stop button clears the count
LD	X2
CNT	C0	K10
LD	C0
OUT	Y2
LD	X1
RST	C0
// On start: set the motion parameters and go to the target position
LDP	Y0
DMOVP	K2000	D357	// maximum speed, pulses/s
MOVP	K100	D361	// acceleration
MOVP	K100	D362	// deceleration
DMOVP	K3200	D372	// target position
MOVP	K2	D376	// motion: go to target position
SPINP
// On stop: decelerate and hold
LDF	Y0
SSTOPP
END
