SELECT *
FROM Samples
WHERE x = 1