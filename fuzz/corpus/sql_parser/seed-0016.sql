SELECT * FROM Samples // to the end of the line
WHERE I = 1