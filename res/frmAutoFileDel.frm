; The controls of the removal progress page as the form stores them.
[ucProgressBar1]
_extentx = Long 11245
_extenty = Long 661
picture = Picture
barpicture = Picture
font = Font "굴림" 9 400 129 0 0 0
segments = Integer -1
