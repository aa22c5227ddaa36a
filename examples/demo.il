// Demo program: a start/stop latch driving Y0, with a timer blinking Y1.
LD X0
OR Y0
ANI X1
OUT Y0
LD Y0
OUT T0 K10
LD T0
OUT Y1
END
