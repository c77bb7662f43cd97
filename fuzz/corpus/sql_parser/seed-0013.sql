SELECT S FROM Samples WHERE S = 'line1
line2'