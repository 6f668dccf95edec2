<?xml version="1.0" ?>
<HEADER_INFO xmlns="http://schemas.orbiscan.invalid/header"
	xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
	xsi:schemaLocation="http://schemas.orbiscan.invalid/header
	http://schemas.orbiscan.invalid/header/OrbiscanHeaderSchema_version_1.0.xsd">
   <CartographicSystem>
      <State>GEO-GLOBAL</State>
      <Hemisphere>NORTH</Hemisphere>
      <Projection>GEO</Projection>
      <Ellipsoid>WGS84</Ellipsoid>
   </CartographicSystem>
   <RegistrationCoordinates>
      <LatNorthing>46.25</LatNorthing>
      <LonEasting>10.5</LonEasting>
      <PixelSpacingLatNorth>-0.0009765625</PixelSpacingLatNorth>
      <PixelSpacingLonEast>0.0009765625</PixelSpacingLonEast>
   </RegistrationCoordinates>
   <DEMCoordinates>
      <NorthingCoordinateBegin>44.75</NorthingCoordinateBegin>
      <NorthingGridSize>0.0009765625</NorthingGridSize>
      <NorthingCoordinateEnd>46.25</NorthingCoordinateEnd>
      <EastingCoordinateBegin>10.5</EastingCoordinateBegin>
      <EastingGridSize>0.0009765625</EastingGridSize>
      <EastingCoordinateEnd>12</EastingCoordinateEnd>
   </DEMCoordinates>
   <AcquisitionParameters>
      <AcquisitionTime>01-MAY-2019 05:12:33.000000</AcquisitionTime>
   </AcquisitionParameters>
   <ChannelInfo>
      <Description>
         <VectorString NumberOfElements = "1">
            <ValueString ID = "0">VV</ValueString>
         </VectorString>
      </Description>
      <Polarization>VV</Polarization>
      <IncidenceAngle>39.5</IncidenceAngle>
   </ChannelInfo>
   <Sensor>
      <SensorName>SENTINEL-1A</SensorName>
   </Sensor>
   <RasterInfo>
      <NrOfLinesPerImage>1536</NrOfLinesPerImage>
      <NrOfPixelsPerLine>1536</NrOfPixelsPerLine>
      <NrOfChannels>1</NrOfChannels>
      <CellType>FLOAT</CellType>
      <DataUnits>AMPLITUDE</DataUnits>
      <HeaderOffset>0</HeaderOffset>
      <RowPrefix>0</RowPrefix>
      <RowSuffix>0</RowSuffix>
      <Interleave>bsq</Interleave>
      <BytesOrder>LSBF</BytesOrder>
      <NullCellValue>NaN</NullCellValue>
      <GeocodedImage>OK</GeocodedImage>
      <BandName>
         <VectorString NumberOfElements = "1">
            <ValueString ID = "0">Amplitude VV</ValueString>
         </VectorString>
      </BandName>
      <BandData>
         <VectorString NumberOfElements = "1">
            <ValueString ID = "0">1</ValueString>
         </VectorString>
      </BandData>
      <OtherInfo>
         <MatrixString NumberOfRows = "3" NumberOfColumns = "2">
            <MatrixRowString ID = "0">
               <ValueString ID = "0">ORIGIN DATA</ValueString>
               <ValueString ID = "1">GRD</ValueString>
            </MatrixRowString>
            <MatrixRowString ID = "1">
               <ValueString ID = "0">ACQUISITION TIME</ValueString>
               <ValueString ID = "1">01-MAY-2019 05:12:33.000000</ValueString>
            </MatrixRowString>
            <MatrixRowString ID = "2">
               <ValueString ID = "0">SOFTWARE</ValueString>
               <ValueString ID = "1">5.5.2.1</ValueString>
            </MatrixRowString>
         </MatrixString>
      </OtherInfo>
      <product_type>GRD</product_type>
   </RasterInfo>
</HEADER_INFO>
